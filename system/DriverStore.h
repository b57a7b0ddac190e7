// Re-creates missing driver-store registrations of the Snom D7 phone driver.
#pragma once

#include "system/Registry.h"

// Does nothing unless snomD7Installed; writes only values that are missing.
void RepairSnomD7DriverStore(IRegistry& registry, bool snomD7Installed);
