#pragma once

// Registers every view controller of the program with the factory, under the identifiers of
// the layout resources.
class ControllerRegistry
{
public:
    ControllerRegistry() = delete;
    static void registerAll();
};
