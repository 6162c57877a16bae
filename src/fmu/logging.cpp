#include "logging.h"

const char* const logCategoryNames[logCategoryCount] = {"logAll", "logError", "logFmiCall",
                                                        "logEvent"};

