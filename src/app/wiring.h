#pragma once

class TSetupTree;

// Gives the tree the node classes and first-run steps of every subsystem of the program.
void RegisterSubsystems(TSetupTree& tree);
// The same for the editor pages of the setup window.
void RegisterEditorPages();
