/* Stands in for a C++ runtime newer than the floor: its symbols carry libstdc++'s version names
 * (fake_runtime.map), so that a program linked against it asks for them as one built with a
 * newer GCC would. */
void cxx_at_floor(void) {}
void cxx_above_floor(void) {}
void cxxabi_above_floor(void) {}
