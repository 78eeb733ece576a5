#pragma once

#include "engine/stationmessage.h"

#include <QByteArray>

class TQueueNode;
class TSetupTree;

// The engine's command interpreter and its broadcasts. The engine never answers a command
// directly: every change is broadcast as state messages to every operator window.
namespace EngineCommands {

// Executes one command. A command for a queue mask or candidate that does not exist does
// nothing. False when the text is not exactly one well-formed command; it then has no effect
// and counts in StationMessage::Counters().
bool ExecuteCommand(TSetupTree& tree, const QByteArray& message);
void ExecuteCommand(TSetupTree& tree, const StationMessage::TCommand& command);
// Cuts a command text by the layout of its commands and executes each in order; malformed runs
// are passed over and counted. Returns the number of malformed runs.
int ExecuteText(TSetupTree& tree, const QByteArray& text);

// The queue state "*pK" of one queue.
StationMessage::TQueueState QueueState(const TQueueNode& queue);
// The text of Broadcast (mask, flags) of the queues node: "*pX" (flag 1), the buttons (flags 1
// or 2), the names of the queues in the mask (every queue with flag 1), their states (flag 4)
// and their candidate lists (flag 8), in that order. Sets each listed candidate's Position to
// its current position.
QByteArray ComposeBroadcast(TSetupTree& tree, int mask, int flags);

// Runs the engine in this program: commands handed to the tree (EngineSink) are cut and
// executed here, and what the engine distributes reaches this program's operator side
// (OperatorSink). Replaced by the computer link once it exists.
void InstallLocalEngine(TSetupTree& tree);

} // namespace EngineCommands
