# A program that runs for one short exchange with the host: loading and relocating shared
# libraries, the C library's included, costs more than the rest of a `lumetra status`, so it is
# linked as a static PIE where the archives exist (which keeps the address randomisation), with
# unused sections dropped. (The linker's notes on getpwuid_r and ICU's unused dlopen are
# expected: the home folder is looked up only without $HOME, through the static C library's own
# files source.)
include(CheckLinkerFlag)
check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" LUMETRA_LINKER_PACKS_RELOCATIONS)

function(lumetra_lean_program target)
  set_target_properties(${target} PROPERTIES LUMETRA_STATIC_ICU ON)
  if(APPLE)
    target_link_options(${target} PRIVATE -Wl,-dead_strip)
  else()
    target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--as-needed)
  endif()
  if(LUMETRA_STATIC_PIE_TOOL)
    target_link_options(${target} PRIVATE -static-pie)
    # Its pointers are relocated at each start, so they are packed as RELR where the linker
    # can: fewer pages to read.
    if(LUMETRA_LINKER_PACKS_RELOCATIONS)
      target_link_options(${target} PRIVATE -Wl,-z,pack-relative-relocs)
    endif()
  elseif(NOT LUMETRA_SANITIZE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
