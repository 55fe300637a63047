#pragma once

inline constexpr char kRavelkinVersion[] = "1.0.0.2";
