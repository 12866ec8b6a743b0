#include "platform/ending_signals_posix.h"
#include "platform/process.h"
#include "platform/standard_descriptors_posix.h"

namespace tolvane {

void prepareProcess() {
    openClosedStandardDescriptors();
    takeOverSignals();
}

bool gameReadsAnotherCopy(const char*) { return false; }

}  // namespace tolvane
