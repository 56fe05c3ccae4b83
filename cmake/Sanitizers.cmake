# -DDRUSEL_SANITIZE=ON: AddressSanitizer and UndefinedBehaviorSanitizer on every target.
option(DRUSEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(DRUSEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
