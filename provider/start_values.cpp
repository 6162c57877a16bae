#include "start_values.h"

#include "thread_attachment.h"

bool applyStartValues(const LibraryFunctions& library, fmi2Component component,
                      const std::vector<StartValue>& startValues) {
    if (startValues.empty()) return true;
    std::vector<fmi2ValueReference> references;
    std::vector<fmi2Real> values;
    for (const StartValue& start : startValues) {
        references.push_back(start.valueReference);
        values.push_back(start.value);
    }
    const fmi2Status status =
        library.fmi2SetReal(component, references.data(), references.size(), values.data());
    return status == fmi2OK || status == fmi2Warning;
}

fmi2Status forwardedReset(const LibraryFunctions& library, fmi2Component component) {
    knowCallingThread();
    return library.fmi2Reset(component);
}
