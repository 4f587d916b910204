#pragma once
// Control ids of the main window's children and the panel's children.
enum {
    IDC_CONSOLE_VIEW = 11,
    IDC_COMMAND_PANEL = 12,
    IDC_LAMP = 21,
    IDC_COMMAND_LINE = 22,
    IDC_DEVICE_LIST = 23,
};
