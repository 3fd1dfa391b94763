#pragma once

namespace qby::testsupport {

// Creates the process's QCoreApplication on first use (signal delivery and event processing
// need one); later calls do nothing.
void ensureCoreApplication();

}  // namespace qby::testsupport
