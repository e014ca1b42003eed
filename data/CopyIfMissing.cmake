# Copies FROM to TO unless TO exists.
if(NOT EXISTS "${TO}")
  get_filename_component(folder "${TO}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${FROM}" "${TO}")
  message(STATUS "Wrote ${TO}")
endif()
