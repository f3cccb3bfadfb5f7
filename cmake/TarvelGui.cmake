find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

# The windows: the toolkit-neutral framework (platform/ui) and the pages (app/ui, verify/ui,
# upgrade/ui) are the same on every platform; the backend that implements the framework's
# "backend" members is platform/qt here.
set(TARVEL_UI_BACKEND_DIR ${PROJECT_SOURCE_DIR}/platform/qt)
file(GLOB_RECURSE _gui_srcs CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/platform/ui/*.cpp
     ${TARVEL_UI_BACKEND_DIR}/*.cpp
     ${PROJECT_SOURCE_DIR}/app/ui/*.cpp
     ${PROJECT_SOURCE_DIR}/verify/ui/*.cpp
     ${PROJECT_SOURCE_DIR}/upgrade/ui/*.cpp)
file(GLOB_RECURSE _gui_hdrs CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/platform/ui/*.h
     ${TARVEL_UI_BACKEND_DIR}/*.h
     ${PROJECT_SOURCE_DIR}/app/ui/*.h
     ${PROJECT_SOURCE_DIR}/verify/ui/*.h
     ${PROJECT_SOURCE_DIR}/upgrade/ui/*.h)
list(FILTER _gui_srcs EXCLUDE REGEX "/main\\.cpp$")

if(_gui_srcs)
  add_library(tarvel_gui STATIC ${_gui_srcs} ${_gui_hdrs})
  target_include_directories(tarvel_gui PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tarvel_gui PUBLIC tarvel_core Qt6::Widgets)
  # moc only where Qt classes live, not on every core library and test.
  set_target_properties(tarvel_gui PROPERTIES AUTOMOC ON)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/app/ui/main.cpp)
  add_executable(upgrade ${PROJECT_SOURCE_DIR}/app/ui/main.cpp)
  target_link_libraries(upgrade PRIVATE tarvel_gui)
endif()
