# Google's phone-number library (Debian: libphonenumber-dev). Debian ships it
# with neither a pkg-config file nor a CMake package, so it is looked up by
# its header and libraries here, once for every project that includes this.
# Gives the imported target PhoneNumber::PhoneNumber.
include_guard(GLOBAL)

find_path(PHONENUMBER_INCLUDE_DIR phonenumbers/phonenumberutil.h)
find_library(PHONENUMBER_LIBRARY NAMES phonenumber)
# The library does its Unicode work (digits of every script, its patterns)
# with ICU: named here too, so a link that does not follow the library's own
# dependencies (a static one) still finds it.
find_library(PHONENUMBER_ICU_UC_LIBRARY NAMES icuuc)
find_library(PHONENUMBER_ICU_I18N_LIBRARY NAMES icui18n)

foreach(found PHONENUMBER_INCLUDE_DIR PHONENUMBER_LIBRARY PHONENUMBER_ICU_UC_LIBRARY
              PHONENUMBER_ICU_I18N_LIBRARY)
  if(NOT ${found})
    message(FATAL_ERROR "${found} not found: install the Debian package libphonenumber-dev "
                        "(scripts/install-deps installs everything scripts/packages.txt names)")
  endif()
endforeach()

add_library(PhoneNumber::PhoneNumber UNKNOWN IMPORTED)
set_target_properties(PhoneNumber::PhoneNumber PROPERTIES
  IMPORTED_LOCATION "${PHONENUMBER_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${PHONENUMBER_INCLUDE_DIR}"
  INTERFACE_LINK_LIBRARIES "${PHONENUMBER_ICU_I18N_LIBRARY};${PHONENUMBER_ICU_UC_LIBRARY}")
