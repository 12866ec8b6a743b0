# The contact address is pasted into two boxes and into a string literal, so it must be
# one plain ASCII address: one "@", no spaces, quotes, backslashes or control characters.
function(tolvane_check_contact_email address)
  string(LENGTH "${address}" length)
  if(length GREATER 254 OR NOT address MATCHES
     "^[A-Za-z0-9.!#$%&'*+/=^_`{|}~-]+@[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+$")
    message(FATAL_ERROR
      "TOLVANE_CONTACT_EMAIL must be one plain ASCII e-mail address such as "
      "name@example.com (one @, a dotted domain, no spaces, quotes or control "
      "characters, at most 254 characters); it is \"${address}\".")
  endif()
endfunction()

# cmake -DTOLVANE_CONTACT_EMAIL=... -P contact_email.cmake checks one value on its own.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  tolvane_check_contact_email("${TOLVANE_CONTACT_EMAIL}")
endif()
