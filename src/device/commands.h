#pragma once

// The command letters of the link, named once (the emulator keeps its own table, so each side
// checks the other). A parameter command is followed by its digit; "A" then applies it.
namespace Command {
constexpr char apply = 'A';
constexpr char oscOneChannel = 'C';
constexpr char oscTwoChannels = 'E';
constexpr char generator = 'G';
constexpr char logic = 'I';
constexpr char generatorTable = 'K';
constexpr char generatorFrequency = 'M';
constexpr char logicStart = 'O';
constexpr char logicForceTrigger = 'Q';
constexpr char timeBase = 'S';
constexpr char gain1 = 'U';
constexpr char gain2 = 'W';
constexpr char logicTimeBase = 'Y';
constexpr char logicTrigger = '[';
} // namespace Command
