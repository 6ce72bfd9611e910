# Makes the shared database when it is missing, at install time; never replaces one.
#  - installing straight into the system as root: the same set-up as the package (setup-data:
#    the chronotally group, its group-writable data folder, the database);
#  - a staged install (DESTDIR): the data folder and the database under DESTDIR;
#  - anyone else installs a program folder of their own, which holds its own database, as the
#    build's program folder does.
# Expects program_dir (absolute, as installed) and data_dir.
set(stage "$ENV{DESTDIR}")
set(mkdb "${stage}${program_dir}/mkdb")
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(stage STREQUAL "" AND uid STREQUAL "0")
  message(STATUS "Setting up ${data_dir}")
  execute_process(COMMAND "${program_dir}/setup-data" RESULT_VARIABLE failed)
elseif(NOT stage STREQUAL "")
  message(STATUS "Checking ${stage}${data_dir}/Stampwell.mdb")
  execute_process(COMMAND "${mkdb}" "${stage}${data_dir}/Stampwell.mdb" RESULT_VARIABLE failed OUTPUT_QUIET)
else()
  message(STATUS "Checking ${program_dir}/Stampwell.mdb")
  execute_process(COMMAND "${mkdb}" "${program_dir}/Stampwell.mdb" RESULT_VARIABLE failed OUTPUT_QUIET)
endif()
if(failed)
  message(FATAL_ERROR "The database could not be made (${failed})")
endif()
