#pragma once
// The product's name, version and copyright, in one place for the banner,
// the window title and the executable's version resource. Plain macros only:
// the resource compiler reads this file too.
#define KB_PRODUCT_NAME "Kestrelbox"
#define KB_VERSION_TEXT "1.00"
#define KB_VERSION_DOTTED "1.0.0.0"
#define KB_VERSION_MAJOR 1
#define KB_VERSION_MINOR 0
#define KB_COPYRIGHT "Copyright (c) 2026 the Kestrelbox developers"
#define KB_DESCRIPTION "Kestrelbox, a console for the Android Debug Bridge"
#define KB_TITLE KB_PRODUCT_NAME " " KB_VERSION_TEXT
