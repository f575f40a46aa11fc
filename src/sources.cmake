# The library's sources, listed once: the library, the unit tests and the fuzz
# build all compile exactly these. TULMA_SOURCE_ROOT is the folder that holds
# this file. The entry points (host/c_api.cpp) are the shared library's own.
set(TULMA_CORE_SOURCES
  util/calendar.cpp
  util/fatal_error.cpp
  util/field_editor.cpp
  util/large_page_allocator.cpp
  util/number_text.cpp
  util/table_lookup.cpp
  util/text_files.cpp
  util/worker_pool.cpp
  model/roughness_sections.cpp
  model/run_state.cpp
  model/temperature_series.cpp
  model/work_sharing.cpp
  input/initial_vegetation.cpp
  input/kind_block.cpp
  input/parameter_file.cpp
  input/record_file.cpp
  input/record_reader.cpp
  input/shapefile.cpp
  input/temperature_file.cpp
  input/value_reader.cpp
  dynamics/establishment.cpp
  dynamics/growth.cpp
  dynamics/mortality.cpp
  dynamics/roughness.cpp
  dynamics/vegetation_step.cpp
  output/area_summaries.cpp
  output/plant_state_reports.cpp
  output/report_context.cpp
  output/report_writer.cpp
  output/roughness_report.cpp
  host/driver.cpp
  host/raw_host_args.cpp
  host/stop.cpp
  host/thread_count.cpp)
list(TRANSFORM TULMA_CORE_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
set(TULMA_ENTRY_SOURCE ${CMAKE_CURRENT_LIST_DIR}/host/c_api.cpp)
