#include "platform/posix/ending_signals.h"
#include "platform/process.h"
#include "platform/posix/standard_descriptors.h"

namespace tolvane {

void prepareProcess() {
    openClosedStandardDescriptors();
    takeOverSignals();
}

bool gameReadsAnotherCopy(const char*) { return false; }

}  // namespace tolvane
