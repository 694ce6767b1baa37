#include "app/Batch.h"

void RunBatch(std::string, std::string) {}
