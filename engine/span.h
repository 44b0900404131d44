#pragma once

// Between two events the block loop renders stage by stage: each stage runs over a span of samples
// held in arrays, at most kSpan at a time. Every object still sees its samples one by one, in order,
// so a stage's results are those of the sample-by-sample loop.
constexpr int kSpan = 64;
