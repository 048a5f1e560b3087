# Installation and Debian packages of the system. Included last by the top CMakeLists.txt, when
# every target exists.

# --version prints the release from src/platform/version.h; the packages are named by the
# project version. One number for both.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/platform/version.h tw_version_line
     REGEX "kReleaseVersion = \"[0-9.]+\"")
string(REGEX MATCH "[0-9]+(\\.[0-9]+)+" tw_release_version "${tw_version_line}")
if(NOT tw_release_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "src/platform/version.h says ${tw_release_version}, the project "
                      "${PROJECT_VERSION}: change both")
endif()
