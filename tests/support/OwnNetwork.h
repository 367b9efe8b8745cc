#pragma once

// Gives the test program a network of its own when the system lets it (as root): a loopback that
// no other program on the machine shares, so that no server of the machine's, on the game server's
// default port or any other, answers the tests' questions. Call it first in main, before any
// thread starts: the processes the tests start share it. Says whether the network is its own.
bool useNetworkOfOwn();

// Whether the test program has a network of its own.
bool networkIsOwn();
