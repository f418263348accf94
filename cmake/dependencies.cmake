find_package(Eigen3 3.4 REQUIRED NO_MODULE)
find_package(fmt REQUIRED)
find_library(VELM_OPENBLAS NAMES openblas
             PATHS /usr/lib/x86_64-linux-gnu/openblas-pthread /usr/lib/x86_64-linux-gnu REQUIRED)
if(VELM_BUILD_PYTHON)
  find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)
endif()
if(VELM_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
# The sparse direct solver of the engineering analysis: the sequential MUMPS build, whose
# stand-in MPI header lives in its own folder.
find_path(VELM_MUMPS_INCLUDE dmumps_c.h REQUIRED)
find_path(VELM_MUMPS_SEQ_INCLUDE mpi.h PATHS /usr/include/mumps_seq NO_DEFAULT_PATH REQUIRED)
find_library(VELM_DMUMPS NAMES dmumps_seq REQUIRED)
find_library(VELM_MUMPS_COMMON NAMES mumps_common_seq REQUIRED)
find_library(VELM_MPISEQ NAMES mpiseq_seq REQUIRED)
# The nested-dissection ordering of large systems.
find_path(VELM_METIS_INCLUDE metis.h REQUIRED)
find_library(VELM_METIS NAMES metis REQUIRED)
