# Registers libqorcom.so with qorregsvr into a fresh registry, runs the qorauto smoke script and
# compares its output. Variables: QORREGSVR, QORAUTO, LIBRARY, PROVIDER, SOURCE, WORK.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(ENV{COMLITE_REGISTRY} "${WORK}/registry.reg")
set(ENV{TIDEWELL_LOCK_DIR} "${WORK}")
set(ENV{QORCOM_RAS_PROVIDER} "${PROVIDER}")
set(ENV{QORCOM_RAS_SIM_CONFIG} "${SOURCE}/phonebook.ini")
set(ENV{QORCOM_RAS_SIM_STATE} "${WORK}/active")
configure_file("${SOURCE}/smoke.qor" "${WORK}/smoke.qor" @ONLY)
configure_file("${SOURCE}/smoke.expected" "${WORK}/smoke.expected" @ONLY)

execute_process(COMMAND "${QORREGSVR}" "${LIBRARY}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "qorregsvr failed (${status}):\n${out}${err}")
endif()
message(STATUS "${out}")

execute_process(COMMAND "${QORAUTO}" "${WORK}/smoke.qor"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ "${WORK}/smoke.expected" expected)
# The script makes one call fail on purpose (a log file that cannot be set): status 1.
if(NOT status EQUAL 1 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "qorauto (status ${status}) printed:\n${out}${err}\nexpected:\n${expected}")
endif()
message(STATUS "qorauto printed:\n${out}")
