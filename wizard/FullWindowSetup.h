#pragma once

#include <QString>

namespace psucal {

class BenchUi;
class SpotGrid;
struct BenchState;

// What the full window's controls hold apart from the steps: the run mode's locks at start-up,
// the spot rows and the window caption after each identification, the chart axis labels and
// the report header boxes with their form-level copies.
class FullWindowSetup {
public:
    FullWindowSetup(BenchState& state, BenchUi& ui, SpotGrid& gridV, SpotGrid& gridC);

    void applyRunMode(bool eepEnabled);
    // The rest of identification in run modes 0-2, once MaxV and MaxI are known; the selector
    // names the grids rebuilt (0 voltage, 1 current, 2 both).
    void identified(int selector);
    void rebuild(bool current);
    void setAxisLabels();
    // TxtH(index) changed, typed or set by code: 0..3 the report header boxes, 4 the serial box,
    // 5 the humidity.
    void headerChanged(int index, const QString& text);
    // The window came to the front: the header facts are taken from the boxes again.
    void copyHeaders();

private:
    BenchState& st_;
    BenchUi& ui_;
    SpotGrid& gridV_;
    SpotGrid& gridC_;
};

} // namespace psucal
