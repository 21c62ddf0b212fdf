// EQ curve costs on the paths a drag exercises: one band, a summed panel, a whole output EQ.
#include "eq/eq_block.h"
#include "eq/eq_group.h"
#include "eq/eq_model.h"
#include "eq/eq_response.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kPlotWidth = 800;

void BM_ComputeResponseOneBand(benchmark::State& state) {
    fenno::EqBand band;
    band.kind = fenno::kFilterPeq;
    band.frequency = 1000.0f;
    band.gain = 6.0f;
    band.q = 1.41f;
    float step = 1.0f;
    for (auto _ : state) {
        band.frequency += step; // a drag moves the band every step
        step = -step;
        fenno::ComputeBandResponse(band, kPlotWidth);
        benchmark::DoNotOptimize(band.response.data());
    }
}
BENCHMARK(BM_ComputeResponseOneBand);

void BM_SumResponse15Bands(benchmark::State& state) {
    fenno::EqModel model;
    model.SetPlotWidth(kPlotWidth);
    model.SetBlock(0); // microphone EQ, 15 bands
    for (int i = 0; i < model.BandCount(); ++i)
        model.SetBandGain(i, (i % 5) - 2.0f);
    for (auto _ : state) {
        fenno::ResponseCurve sum = model.SumResponse();
        benchmark::DoNotOptimize(sum.data());
    }
}
BENCHMARK(BM_SumResponse15Bands);

// All 13 output bands, the crossover group (master plus three followers) included, then the sum.
void BM_OutputEqRecompute13Bands(benchmark::State& state) {
    fenno::EqModel model;
    model.SetPlotWidth(kPlotWidth);
    model.SetBlock(fenno::kFirstOutputBlock);
    for (int i = 0; i < 9; ++i)
        model.SetBandGain(i, (i % 7) - 3.0f);
    model.SetBandKind(fenno::kGroupMasterBand, fenno::kFilterLowPass);
    model.SetGroupCrossover(fenno::kGroupMasterBand, fenno::kCrossoverLr48);
    for (auto _ : state) {
        model.RecomputeAll();
        fenno::ResponseCurve sum = model.SumResponse();
        benchmark::DoNotOptimize(sum.data());
    }
}
BENCHMARK(BM_OutputEqRecompute13Bands);

} // namespace

BENCHMARK_MAIN();
