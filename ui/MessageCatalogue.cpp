#include "ui/MessageCatalogue.h"

// Until the embedded catalogue is built, every id stands for itself.
void LoadMessageCatalogue() {}
std::string Translate(const std::string& id) { return id; }
bool HasTranslation(const std::string&) { return false; }
