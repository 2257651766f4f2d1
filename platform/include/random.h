// The pseudo-random source of the engine: random(n) in 0..n-1 and randomize() from the clock.
#pragma once

// 0 when n is 0 (or negative), without drawing.
int random(int n);

// Seeds the generator from the clock, or from the fixed seed if one was set.
void randomize();

// Makes every later randomize() reproducible: the k-th call after this seeds with seed + k.
void set_fixed_random_seed(unsigned seed);
void clear_fixed_random_seed();
