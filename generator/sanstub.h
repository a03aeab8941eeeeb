// Stub blocks of the simulated files: the types their functions need, then
// one block holding the stub of every function and member function the file
// defines and the definitions of its global variables.
#pragma once
#include <string>

struct Declaration;

// The stub section of one simulated file.
void emit_file_stubs(const std::string &path);

// One stub line (the stub form, with passing keywords) of decl.
void write_stub(const Declaration *decl);

// base + "_" + suffix of the file name, with ".", "," and "-" turned into "_"
// (sim.c gives sim_c).
std::string stub_name(const std::string &path);
