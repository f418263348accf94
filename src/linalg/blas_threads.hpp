// The threading of the linked BLAS, set once per process by the program that embeds the engine.
#pragma once

namespace velm::linalg {

// Every BLAS and LAPACK call of the process runs on the calling thread alone from now on.
void use_single_threaded_blas();

}  // namespace velm::linalg
