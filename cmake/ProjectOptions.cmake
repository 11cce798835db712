set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
# compile_commands.json in every build folder, for clang-tidy (scripts/lint) and editors.
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

option(QMX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QMX_FUZZ "Build the fuzz targets with libFuzzer (clang only)" OFF)
option(QMX_FUZZ_ONLY "Build only the core libraries and the fuzz targets (no Qt)" OFF)
option(QMX_CORES_ONLY "Build only the Qt-free core libraries with their tests (no Qt, no libpulse)" OFF)
# The Qt adapters, the windows and the programs need Qt; the cores and their tests do not.
if(QMX_FUZZ_ONLY OR QMX_CORES_ONLY)
  set(QMX_WITH_QT OFF)
else()
  set(QMX_WITH_QT ON)
endif()
# The record's 80-bit reals are computed by the x87 on x86, in software (MPFR) elsewhere.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
  set(qmx_soft_extended_default OFF)
else()
  set(qmx_soft_extended_default ON)
endif()
option(QMX_SOFT_EXTENDED "Compute the 80-bit extended reals in software instead of on the x87"
       ${qmx_soft_extended_default})

# Warnings for every target of ours.
add_library(qmx_options INTERFACE)
target_compile_options(qmx_options INTERFACE -Wall -Wextra)
target_include_directories(qmx_options INTERFACE ${PROJECT_SOURCE_DIR})

if(QMX_SANITIZE)
  target_compile_options(qmx_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                                               -fno-omit-frame-pointer)
  target_link_options(qmx_options INTERFACE -fsanitize=address,undefined)
endif()

# Where an install puts the panel, with its Alarm.wav and Logs (cmake/Install.cmake); the
# launcher and the log report find it there.
set(QMX_PANEL_INSTALL_DIR lib/quellmarinox-simple-panel)
# The folder its Logs link leads to: this under the prefix /usr (the package's postinst makes it
# with its group), PREFIX followed by this under any other prefix.
set(QMX_LOG_DIR /var/log/quellmarinox-simple-panel)

# Programs land at the top of the build folder, beside Alarm.wav (qmx_program, cmake/Targets.cmake).
set(QMX_PROGRAM_DIR ${PROJECT_BINARY_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/Targets.cmake)
