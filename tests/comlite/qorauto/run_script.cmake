# Registers the test server in a fresh registry, runs a qorauto script against it and compares
# what it prints. Variables: QORAUTO, SERVER, SCRIPT, EXPECTED, WORK.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(ENV{COMLITE_REGISTRY} "${WORK}/registry.reg")
set(ENV{TIDEWELL_LOCK_DIR} "${WORK}")
set(clsid "{6A1E3C53-0B7D-4E59-9C1F-2D8B5A7E4F10}")
file(WRITE "${WORK}/registry.reg"
  "[HKEY_CLASSES_ROOT\\CLSID\\${clsid}\\InprocServer32]\n@=\"${SERVER}\"\n"
  "[HKEY_CLASSES_ROOT\\ComliteTest.Calculator\\CLSID]\n@=\"${clsid}\"\n")

execute_process(COMMAND "${QORAUTO}" "${SCRIPT}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ "${EXPECTED}" expected)
# The script makes three conversions fail on purpose: status 1.
if(NOT status EQUAL 1 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "qorauto (status ${status}) printed:\n${out}${err}\nexpected:\n${expected}")
endif()
message(STATUS "qorauto printed:\n${out}")
