#pragma once

class TQueuesNode;

// The calling cycle of the queues node, run on its 100 ms tick: ends the calls whose invitation
// time is over, and starts at most one call per tick for a chosen candidate whose queue is not
// busy and shares no display row showing the called number with a busy queue.
namespace CallingCycle {

// One tick's work, after the queues node has counted the tick.
void Run(TQueuesNode& queues);
// The number of the first candidate being called in a queue of the mask; -1 when none.
int CalledNumber(const TQueuesNode& queues, int mask);
// A door sensor saw the called candidate of a queue of the mask come in: it is being served,
// and its call ends on the first tick after 2 s more.
void DoorEntered(TQueuesNode& queues, int mask);

} // namespace CallingCycle
