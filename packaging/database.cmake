# Makes the shared database when it is missing, at install time; never replaces one.
#  - a staged install (DESTDIR): the data folder and the database under DESTDIR, as the
#    package's set-up would make them;
#  - root installing into the prefix the build was configured for: the same set-up as the
#    package (setup-data: the chronotally group, its group-writable data folder, the database);
#  - any other install is a program folder of its own, which holds its own database, as the
#    build's program folder does.
# Expects program_dir (absolute, as installed), data_dir and configured_prefix.
set(stage "$ENV{DESTDIR}")
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT stage STREQUAL "")
  message(STATUS "Checking ${stage}${data_dir}/Stampwell.mdb")
  execute_process(COMMAND "${stage}${program_dir}/mkdb" "${stage}${data_dir}/Stampwell.mdb"
                  RESULT_VARIABLE failed OUTPUT_QUIET)
elseif(uid STREQUAL "0" AND CMAKE_INSTALL_PREFIX STREQUAL configured_prefix)
  message(STATUS "Setting up ${data_dir}")
  execute_process(COMMAND "${program_dir}/setup-data" RESULT_VARIABLE failed)
else()
  message(STATUS "Checking ${program_dir}/Stampwell.mdb")
  execute_process(COMMAND "${program_dir}/mkdb" "${program_dir}/Stampwell.mdb" RESULT_VARIABLE failed OUTPUT_QUIET)
endif()
if(failed)
  message(FATAL_ERROR "The database could not be made (${failed})")
endif()
