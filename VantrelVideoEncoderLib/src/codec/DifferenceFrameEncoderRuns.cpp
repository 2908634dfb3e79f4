// The best encode's choice of the 8 x 8 blocks' first codes together with the
// runs the writer makes of them: a run of one code costs fewer bytes than its
// blocks' codes, so a block may take a code that is a little worse for itself
// when it joins its neighbours' run.

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>

#include "codec/DifferenceFrameEncoder.h"
#include "codec/FrameRecordFormat.h"

namespace vantrel {

using namespace frame_record;

namespace {

// Run lengths the run choice tells apart: the writer codes a run of L blocks
// in min(L, 3) code bytes (four or more: repeat code, count, code), so a
// fourth block costs no more than a third.
constexpr int kRunStates = 3;

}  // namespace

int DifferenceFrameEncoder::runPenalty(std::int32_t block, int newCode) const {
  // The writer codes a run of L 8 x 8 blocks of one code in min(L, 3) code
  // bytes. A block that leaves its run may split it in two; one that takes
  // the code of its neighbours may join theirs.
  const std::int32_t topLevelBlocks = (width / 8) * (height / 8);
  if (block >= topLevelBlocks) return 0;
  const auto alike = [&](int code, std::int32_t step) {
    int n = 0;
    for (std::int32_t k = block + step;
         n < kRunStates && k >= 0 && k < topLevelBlocks && pool[k].code == code;
         k += step) {
      ++n;
    }
    return n;
  };
  const int code = pool[block].code;
  const int before = alike(code, -1);
  const int after = alike(code, 1);
  const int newBefore = alike(newCode, -1);
  const int newAfter = alike(newCode, 1);
  return before + after - std::min(before + 1 + after, kRunStates) +
         std::min(newBefore + 1 + newAfter, kRunStates) - newBefore - newAfter;
}

void DifferenceFrameEncoder::listRunOptions() {
  // Each block may keep, take its own copy or fill, or take one of the
  // displacements most blocks of the frame chose (runs of one copy cover a
  // picture that moves as a whole).
  const int topLevelBlocks = (width / 8) * (height / 8);
  std::array<int, kLastCopyCode + 1> votes{};
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) {
    if (firstLooks[block].displacement >= 0) ++votes[firstLooks[block].displacement];
  }
  // The most chosen displacements first; on equal votes the lower one.
  std::array<int, kLastCopyCode + 1> order{};
  std::iota(order.begin(), order.end(), 0);
  std::partial_sort(order.begin(), order.begin() + kRunCopies, order.end(),
                    [&](int a, int b) {
                      return votes[a] > votes[b] || (votes[a] == votes[b] && a < b);
                    });
  std::array<int, kRunCopies> common{};
  for (int k = 0; k < kRunCopies; ++k) common[k] = votes[order[k]] > 0 ? order[k] : -1;

  runOptions.resize(static_cast<std::size_t>(topLevelBlocks) * kRunOptions);
  runCounts.resize(topLevelBlocks);
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) {
    // The options of a block the second coding judges as the first did stay.
    if (movedAt(pool[block].offset, kLevel8x8) == Moved::None) continue;
    runCounts[block] = 0;
    const FirstLook& look = firstLooks[block];
    const BlockRecord& record = pool[block];
    RunOption* options = &runOptions[static_cast<std::size_t>(block) * kRunOptions];
    int& count = runCounts[block];
    const auto add = [&](int code, int bytes, std::int64_t error) {
      for (int k = 0; k < count; ++k) {
        if (options[k].code == code) return;
      }
      options[count++] = RunOption{static_cast<std::uint8_t>(code),
                                   static_cast<std::uint8_t>(bytes), error};
    };
    add(kKeepCode, 1, look.keepImpact);
    if (look.keepImpact != 0 || look.keep != 0) {
      if (look.displacement >= 0) add(look.displacement, 1, look.copyImpact);
      if (look.fillImpact != kNoError) add(kFillCode, 2, look.fillImpact);
      const std::int32_t* table = impact->tableAt(record.offset);
      for (const int d : common) {
        if (d < 0 || d == look.displacement) continue;
        const int source = record.offset + displacementTable.offset(d);
        if (!search.copyIsUsable(source, 8)) continue;
        add(d, 1,
            impact->blockError(table, reference + source, frame + record.offset, 8));
      }
    }
  }
}

int DifferenceFrameEncoder::chooseRuns(double value) {
  // The 8 x 8 blocks' first codes chosen together, in writing order, for the
  // least impact plus value times the bytes the codes take with the runs the
  // writer makes.
  const int topLevelBlocks = (width / 8) * (height / 8);
  if (topLevelBlocks == 0) return 0;
  runCosts.resize(static_cast<std::size_t>(topLevelBlocks) * kRunOptions * kRunStates);
  runFrom.resize(runCosts.size());
  constexpr double kNever = std::numeric_limits<double>::infinity();
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) {
    const RunOption* options = &runOptions[static_cast<std::size_t>(block) * kRunOptions];
    const int count = runCounts[block];
    // Least cost of the blocks so far ending in each option and run state.
    double* costs = &runCosts[static_cast<std::size_t>(block) * kRunOptions * kRunStates];
    std::int32_t* from =
        &runFrom[static_cast<std::size_t>(block) * kRunOptions * kRunStates];
    const double* before = block > 0 ? costs - kRunOptions * kRunStates : nullptr;
    const RunOption* previous = block > 0 ? options - kRunOptions : nullptr;
    const int previousCount = block > 0 ? runCounts[block - 1] : 0;
    for (int i = 0; i < count; ++i) {
      const double own =
          static_cast<double>(options[i].error) + value * (options[i].bytes - 1);
      for (int r = 0; r < kRunStates; ++r) costs[i * kRunStates + r] = kNever;
      if (block == 0) {
        costs[i * kRunStates] = own + value;
        from[i * kRunStates] = -1;
        continue;
      }
      for (int j = 0; j < previousCount; ++j) {
        for (int r = 0; r < kRunStates; ++r) {
          const double past = before[j * kRunStates + r];
          if (past == kNever) continue;
          const bool same = previous[j].code == options[i].code;
          const int state = same ? std::min(r + 1, kRunStates - 1) : 0;
          const double total = past + own + (same && r == kRunStates - 1 ? 0.0 : value);
          if (total < costs[i * kRunStates + state]) {
            costs[i * kRunStates + state] = total;
            from[i * kRunStates + state] = j * kRunStates + r;
          }
        }
      }
    }
  }

  // The cheapest end, then back through the blocks.
  int state = 0;
  {
    const double* costs = &runCosts[static_cast<std::size_t>(topLevelBlocks - 1) *
                                    kRunOptions * kRunStates];
    for (int k = 1; k < runCounts[topLevelBlocks - 1] * kRunStates; ++k) {
      if (costs[k] < costs[state]) state = k;
    }
  }
  int bytes = 0;
  int nextCode = -1;
  int nextRun = 0;
  for (std::int32_t block = topLevelBlocks - 1; block >= 0; --block) {
    const RunOption& option =
        runOptions[static_cast<std::size_t>(block) * kRunOptions + state / kRunStates];
    BlockRecord& record = pool[block];
    sizeEstimate -= record.codeLength;
    if (option.code == kFillCode) {
      setFill(record, firstLooks[block].colour);
      setFirstError(record, option.error);
    } else {
      setOneByteCode(record, option.code, option.error);
    }
    sizeEstimate += record.codeLength;
    nextRun = option.code == nextCode ? nextRun + 1 : 1;
    if (nextRun <= kRunStates) ++bytes;
    bytes += option.bytes - 1;
    nextCode = option.code;
    state = runFrom[static_cast<std::size_t>(block) * kRunOptions * kRunStates + state];
  }
  return bytes;
}

}  // namespace vantrel
