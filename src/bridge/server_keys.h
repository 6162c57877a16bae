// The keys under which the server holds the instances of this library. The server tells
// instances apart by a text alone, while a host may give two live instances one name (an
// importer's default is often the model's identifier): each instance gets a key of its own,
// unique in the process.
#pragma once

#include <string>

// The instance name as the server will see it (ill-formed UTF-8 replaced, text_encoding.h)
// when no live instance uses that key, otherwise the name plus "#2", "#3", ... (the smallest
// free). The key stays taken until it is released.
std::string reserveServerKey(const char* instanceName);
void releaseServerKey(const std::string& key);
