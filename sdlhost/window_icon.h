// The form's window icon: the program's icon, built into it from
// packaging/quillon.png, so the window has it wherever the program runs from.
#pragma once

#include <SDL.h>

// Sets the icon on `window`; a picture that cannot be decoded leaves the
// window without one.
void SetWindowIcon(SDL_Window* window);
