/* The 44 exported FMI 2.0 functions (co-simulation and model exchange) and getver. */
#ifndef KVFMU_FMI2_FUNCTIONS_H
#define KVFMU_FMI2_FUNCTIONS_H

#include "fmi2_types.h"

#include <stdint.h>

#if defined(_WIN32)
#define FMI2_EXPORT __declspec(dllexport)
#else
#define FMI2_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Information and logging */
FMI2_EXPORT const char* fmi2GetTypesPlatform(void);
FMI2_EXPORT const char* fmi2GetVersion(void);
FMI2_EXPORT fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn,
                                           size_t nCategories, const fmi2String categories[]);

/* Lifecycle */
FMI2_EXPORT fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType,
                                          fmi2String fmuGUID, fmi2String fmuResourceLocation,
                                          const fmi2CallbackFunctions* functions,
                                          fmi2Boolean visible, fmi2Boolean loggingOn);
FMI2_EXPORT void fmi2FreeInstance(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined,
                                           fmi2Real tolerance, fmi2Real startTime,
                                           fmi2Boolean stopTimeDefined, fmi2Real stopTime);
FMI2_EXPORT fmi2Status fmi2EnterInitializationMode(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2ExitInitializationMode(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2Terminate(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2Reset(fmi2Component c);

/* Variable access */
FMI2_EXPORT fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                   fmi2Real value[]);
FMI2_EXPORT fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      fmi2Integer value[]);
FMI2_EXPORT fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      fmi2Boolean value[]);
FMI2_EXPORT fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     fmi2String value[]);
FMI2_EXPORT fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                   const fmi2Real value[]);
FMI2_EXPORT fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      const fmi2Integer value[]);
FMI2_EXPORT fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      const fmi2Boolean value[]);
FMI2_EXPORT fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     const fmi2String value[]);

/* FMU state and directional derivatives (not provided) */
FMI2_EXPORT fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* FMUstate);
FMI2_EXPORT fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate);
FMI2_EXPORT fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* FMUstate);
FMI2_EXPORT fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate,
                                                  size_t* size);
FMI2_EXPORT fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate,
                                             fmi2Byte serializedState[], size_t size);
FMI2_EXPORT fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[],
                                               size_t size, fmi2FMUstate* FMUstate);
FMI2_EXPORT fmi2Status fmi2GetDirectionalDerivative(fmi2Component c,
                                                    const fmi2ValueReference vUnknown_ref[],
                                                    size_t nUnknown,
                                                    const fmi2ValueReference vKnown_ref[],
                                                    size_t nKnown, const fmi2Real dvKnown[],
                                                    fmi2Real dvUnknown[]);

/* Model exchange */
FMI2_EXPORT fmi2Status fmi2EnterEventMode(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2NewDiscreteStates(fmi2Component c, fmi2EventInfo* eventInfo);
FMI2_EXPORT fmi2Status fmi2EnterContinuousTimeMode(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2CompletedIntegratorStep(fmi2Component c,
                                                   fmi2Boolean noSetFMUStatePriorToCurrentPoint,
                                                   fmi2Boolean* enterEventMode,
                                                   fmi2Boolean* terminateSimulation);
FMI2_EXPORT fmi2Status fmi2SetTime(fmi2Component c, fmi2Real time);
FMI2_EXPORT fmi2Status fmi2SetContinuousStates(fmi2Component c, const fmi2Real x[], size_t nx);
FMI2_EXPORT fmi2Status fmi2GetDerivatives(fmi2Component c, fmi2Real derivatives[], size_t nx);
FMI2_EXPORT fmi2Status fmi2GetEventIndicators(fmi2Component c, fmi2Real eventIndicators[],
                                              size_t ni);
FMI2_EXPORT fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx);
FMI2_EXPORT fmi2Status fmi2GetNominalsOfContinuousStates(fmi2Component c, fmi2Real x_nominal[],
                                                         size_t nx);

/* Co-simulation */
FMI2_EXPORT fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[],
                                                   size_t nvr, const fmi2Integer order[],
                                                   const fmi2Real value[]);
FMI2_EXPORT fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[],
                                                    size_t nvr, const fmi2Integer order[],
                                                    fmi2Real value[]);
FMI2_EXPORT fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                                  fmi2Real communicationStepSize,
                                  fmi2Boolean noSetFMUStatePriorToCurrentPoint);
FMI2_EXPORT fmi2Status fmi2CancelStep(fmi2Component c);
FMI2_EXPORT fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status* value);
FMI2_EXPORT fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real* value);
FMI2_EXPORT fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s,
                                            fmi2Integer* value);
FMI2_EXPORT fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s,
                                            fmi2Boolean* value);
FMI2_EXPORT fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s,
                                           fmi2String* value);

/* Library version record: four integers, returned as stored. */
typedef struct {
    int32_t values[4];
} VersionRecord;

FMI2_EXPORT const VersionRecord* getver(void);

#ifdef __cplusplus
}
#endif

#endif
