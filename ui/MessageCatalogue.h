#pragma once
#include <string>

// Loads the embedded English catalogue; called once at start-up.
void LoadMessageCatalogue();

// The catalogue text of id, or the id itself when there is none.
std::string Translate(const std::string& id);
bool HasTranslation(const std::string& id);
