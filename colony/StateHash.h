#pragma once
// A 64-bit fingerprint of the colony and its food field: every ant in list
// order, the counters, reserves, credits, shares and countdowns, the trail and
// food cells. Two runs that hash alike took the same path; the golden tests
// and the headless determinism checks compare it.
#include <cstdint>

class Colony;
class FoodField;

uint64_t StateHash(const Colony& colony, const FoodField& food);
