#pragma once

// Names and constants of the spreadsheet application's automation interface,
// shared by the clients and the built-in server.
namespace excel {

inline constexpr const char* kApplication = "Excel.Application";

// "HorizontalAlignment" values.
inline constexpr int xlHAlignGeneral = 1;
inline constexpr int xlLeft = -4131;
inline constexpr int xlCenter = -4108;
inline constexpr int xlRight = -4152;
inline constexpr int xlFill = 5;
inline constexpr int xlJustify = -4130;
inline constexpr int xlCenterAcrossSelection = 7;
inline constexpr int xlDistributed = -4117;

} // namespace excel
