# Dependencies are installed on the machine (scripts/bootstrap on Debian) and
# found here; none is copied into the repository.

# --- nlohmann/json (header-only) -------------------------------------------
if(CMAKE_CROSSCOMPILING)
  # Debian installs the header under /usr/include. Pointing the cross compiler
  # at that directory would let Linux system headers leak in, so only the
  # nlohmann folder is exposed, through a link inside the build tree.
  find_path(TOLVAR_NLOHMANN_ROOT nlohmann/json.hpp
            PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TOLVAR_NLOHMANN_ROOT)
    message(FATAL_ERROR "nlohmann/json.hpp not found: run scripts/bootstrap")
  endif()
  set(_deps_inc ${CMAKE_BINARY_DIR}/deps/include)
  file(MAKE_DIRECTORY ${_deps_inc})
  if(NOT EXISTS ${_deps_inc}/nlohmann)
    file(CREATE_LINK ${TOLVAR_NLOHMANN_ROOT}/nlohmann ${_deps_inc}/nlohmann SYMBOLIC)
  endif()
  add_library(tolvar_nlohmann_json INTERFACE)
  target_include_directories(tolvar_nlohmann_json SYSTEM INTERFACE ${_deps_inc})
  add_library(nlohmann_json::nlohmann_json ALIAS tolvar_nlohmann_json)
else()
  find_package(nlohmann_json 3.10 REQUIRED)
endif()

# --- GoogleTest, built from its sources for whichever compiler is in use ----
set(TOLVAR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(EXISTS ${TOLVAR_GTEST_SOURCE}/CMakeLists.txt)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TOLVAR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# --- Google Benchmark: native benchmarks only -------------------------------
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  find_package(benchmark QUIET)
endif()
