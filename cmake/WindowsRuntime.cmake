# What a Qt program needs beside it on Windows, where no windeployqt runs in a
# cross build: the plug-ins it loads by name, every DLL that it and those
# plug-ins import (read from their import tables, so the list follows the
# program), found among Qt's DLLs and the compiler's runtime, and Qt's own
# texts for the standard buttons of message boxes in Chinese. A DLL found in
# none of those folders is the system's own.
#
# Included from a CMakeLists.txt, it defines kq30_windows_runtime(); run as a
# script (cmake -P) it copies the files:
#   -DPROGRAMS=a.exe|... -DDEST=folder -DQT_DIR=... -DPLUGINS=platforms/qwindows|...
#   -DDLL_DIRS=...|... -DTRANSLATIONS=file.qm|... -DOBJDUMP=...
# (lists with | between their items, which passes through any command line).
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
  foreach(list PROGRAMS PLUGINS DLL_DIRS TRANSLATIONS)
    string(REPLACE "|" ";" ${list} "${${list}}")
  endforeach()
  set(files ${PROGRAMS})
  foreach(plugin IN LISTS PLUGINS)
    get_filename_component(folder ${plugin} DIRECTORY)
    file(COPY ${QT_DIR}/plugins/${plugin}.dll DESTINATION ${DEST}/${folder})
    list(APPEND files ${DEST}/${plugin}.dll)
  endforeach()
  # Each file's imports, and theirs in turn, as their import tables name them.
  set(seen)
  while(files)
    list(POP_FRONT files file)
    execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
      string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
      if(dll IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${dll})
      foreach(folder IN ITEMS ${QT_DIR}/bin ${DLL_DIRS})
        if(EXISTS ${folder}/${dll})
          file(COPY ${folder}/${dll} DESTINATION ${DEST})
          list(APPEND files ${folder}/${dll})
          break()
        endif()
      endforeach()
    endforeach()
  endwhile()
  file(COPY ${TRANSLATIONS} DESTINATION ${DEST}/translations)
  return()
endif()

# The folders of the compiler's runtime DLLs, and Qt's texts from the build
# machine's Qt (they are the same on every system).
set(runtime_dirs)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(folder ${path} DIRECTORY)
  get_filename_component(folder ${folder} REALPATH)
  list(APPEND runtime_dirs ${folder})
endforeach()
list(REMOVE_DUPLICATES runtime_dirs)
set(KQ30_QT_TRANSLATIONS ${QT_HOST_PATH}/share/qt6/translations/qtbase_zh_TW.qm
                         ${QT_HOST_PATH}/share/qt6/translations/qtbase_zh_CN.qm)

# The plug-ins the wizard loads: the platform, Windows' own style, and the
# JPEG reader for the logo.
set(KQ30_WIZARD_PLUGINS platforms/qwindows styles/qwindowsvistastyle imageformats/qjpeg)

# The command that puts the runtime of PROGRAMS (a list, generator
# expressions allowed) and PLUGINS into DEST, into the variable named out.
function(kq30_windows_runtime_command out programs dest plugins)
  foreach(list programs plugins)
    string(REPLACE ";" "|" ${list} "${${list}}")
  endforeach()
  string(REPLACE ";" "|" dirs "${runtime_dirs}")
  string(REPLACE ";" "|" translations "${KQ30_QT_TRANSLATIONS}")
  set(${out} ${CMAKE_COMMAND} "-DPROGRAMS=${programs}" "-DDEST=${dest}" -DQT_DIR=${KQ30_QT_DIR}
             "-DPLUGINS=${plugins}" -DDLL_DIRS=${dirs} -DTRANSLATIONS=${translations}
             -DOBJDUMP=${CMAKE_OBJDUMP} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE} PARENT_SCOPE)
endfunction()

# A Qt program of this build runnable where it was built: its runtime beside
# it after each link.
function(kq30_windows_runtime target)
  kq30_windows_runtime_command(command $<TARGET_FILE:${target}> $<TARGET_FILE_DIR:${target}> "${ARGN}")
  add_custom_command(TARGET ${target} POST_BUILD COMMAND ${command} VERBATIM)
endfunction()
