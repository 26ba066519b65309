# Programs taken from the documentation as it stands, and what they must print: a comment on a
# line that writes to std::cout, and the comment-only lines right below that line, are that
# line's output. Lists are never used on the text: C++ is full of `;` and `[`.

# Sets `out` to what `code` must print, by the rule above.
function(sylvane_expected_output code out)
  set(output "")
  set(printing FALSE)
  set(rest "${code}")
  while(NOT rest STREQUAL "")
    string(FIND "${rest}" "\n" nl)
    string(SUBSTRING "${rest}" 0 ${nl} line)
    math(EXPR nl "${nl} + 1")
    string(SUBSTRING "${rest}" ${nl} -1 rest)
    if("${line}" MATCHES "std::cout")
      set(printing TRUE)
    elseif(NOT "${line}" MATCHES "^[ \t]*//")
      set(printing FALSE)
    endif()
    if(printing AND "${line}" MATCHES "// (.*)$")
      string(APPEND output "${CMAKE_MATCH_1}\n")
    endif()
  endwhile()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# Writes the program CODE to SOURCE and what it prints, OUTPUT, to EXPECTED, both taken from DOC,
# which a change then makes CMake read again. Each file is written through a copy that touches it
# only when it changes, so that an unrelated edit of the documentation rebuilds nothing.
function(sylvane_write_program doc source code expected output)
  foreach(kind source expected)
    if(kind STREQUAL "source")
      set(content "${code}")
    else()
      set(content "${output}")
    endif()
    file(WRITE ${${kind}}.new "${content}")
    configure_file(${${kind}}.new ${${kind}} COPYONLY)
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${doc})
endfunction()

# Takes the first C++ block of the text in the variable TEXT_VAR: sets CODE_VAR to its code
# (unset when there is none) and TEXT_VAR to the text after it.
function(sylvane_next_cpp_block text_var code_var)
  string(FIND "${${text_var}}" "\n```cpp\n" begin)
  if(begin EQUAL -1)
    unset(${code_var} PARENT_SCOPE)
    return()
  endif()
  math(EXPR begin "${begin} + 8")
  string(SUBSTRING "${${text_var}}" ${begin} -1 rest)
  string(FIND "${rest}" "\n```" end)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${rest}" 0 ${end} block)
  string(SUBSTRING "${rest}" ${end} -1 rest)
  set(${code_var} "${block}" PARENT_SCOPE)
  set(${text_var} "${rest}" PARENT_SCOPE)
endfunction()

# Takes the README's quick start: the first C++ block after "## Quick start". Writes it to SOURCE
# unchanged, and to EXPECTED what it must print.
function(sylvane_readme_quick_start readme source expected)
  file(READ ${readme} text)
  string(FIND "${text}" "\n## Quick start\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${readme}: no \"## Quick start\" section")
  endif()
  string(SUBSTRING "${text}" ${at} -1 text)
  sylvane_next_cpp_block(text code)
  if(NOT DEFINED code)
    message(FATAL_ERROR "${readme}: no C++ block in the quick start")
  endif()

  sylvane_expected_output("${code}" output)
  if(output STREQUAL "")
    message(FATAL_ERROR "${readme}: the quick start shows no output in its comments")
  endif()
  sylvane_write_program(${readme} ${source} "${code}" ${expected} "${output}")
endfunction()

# Takes every C++ block of DOC as one program: each block is a namespace of its own (its
# #include lines gathered at the top), its `int main()` becomes that namespace's `run()`, and the
# program's `main` runs them in order. Writes the program to SOURCE and what it must print, every
# block's output in order, to EXPECTED.
function(sylvane_doc_examples doc source expected)
  file(READ ${doc} text)
  set(includes "")
  set(bodies "")
  set(runs "")
  set(output "")
  set(n 0)
  while(TRUE)
    sylvane_next_cpp_block(text code)
    if(NOT DEFINED code)
      break()
    endif()
    math(EXPR n "${n} + 1")

    # Its #include lines go to the top; its main, if any, becomes its run().
    string(REGEX MATCHALL "(^|\n)#include [^\n]*" block_includes "${code}")
    foreach(line IN LISTS block_includes)
      string(STRIP "${line}" line)
      string(APPEND includes "${line}\n")
    endforeach()
    string(REGEX REPLACE "(^|\n)#include [^\n]*" "" body "${code}")
    string(FIND "${body}" "\nint main() {\n" has_main)
    if(NOT has_main EQUAL -1)
      string(REPLACE "\nint main() {\n" "\nvoid run() {\n" body "${body}")
      string(APPEND runs "    sylvane_doc_${n}::run();\n")
    endif()
    string(APPEND bodies "namespace sylvane_doc_${n} {\n${body}}  // namespace sylvane_doc_${n}\n\n")
    sylvane_expected_output("${code}" block_output)
    string(APPEND output "${block_output}")
  endwhile()
  if(n EQUAL 0)
    message(FATAL_ERROR "${doc}: no C++ block")
  endif()
  sylvane_write_program(${doc} ${source} "${includes}\n${bodies}int main() {\n${runs}}\n"
                        ${expected} "${output}")
endfunction()
