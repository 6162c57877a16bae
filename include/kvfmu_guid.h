// The GUID of libkvfmu's own model description: fmi2Instantiate of libkvfmu accepts it, and
// the provider of a packed FMU (which has a GUID of its own) passes it on.
#pragma once

inline constexpr const char* kvfmuGuid = "{BA0A9140-44D0-41C3-AAA7-C152C647039F}";
