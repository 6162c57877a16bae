#include "logging.h"

const char* const logCategoryNames[logCategoryCount] = {"logAll", "logError", "logFmiCall",
                                                        "logEvent"};

bool categoryEnabled(const FmuInstance* comp, int category) {
    return category >= 0 && category < logCategoryCount &&
           (comp->logCategories[category] || comp->logCategories[logAll]);
}
