// DoubleLanes (DoubleLanes.h) as two plain doubles: each operation is written the
// way the section types write it, lane by lane. For processors without vector
// doubles, and buildable anywhere so that tests can hold it to the sections too.
#pragma once

struct PortableLanes {
    struct Doubles {
        double lane0;
        double lane1;
    };
    struct Singles {
        float lane0;
        float lane1;
    };

    static Doubles make(double lane0, double lane1) { return {lane0, lane1}; }
    static Doubles splat(double x) { return {x, x}; }
    static Singles makeSingles(float lane0, float lane1) { return {lane0, lane1}; }
    static Singles splatSingles(float x) { return {x, x}; }

    static Doubles load(const float* lane0, const float* lane1) { return {*lane0, *lane1}; }
    static void store(Singles s, float* lane0, float* lane1) {
        *lane0 = s.lane0;
        *lane1 = s.lane1;
    }

    static Doubles add(Doubles a, Doubles b) { return {a.lane0 + b.lane0, a.lane1 + b.lane1}; }
    static Doubles sub(Doubles a, Doubles b) { return {a.lane0 - b.lane0, a.lane1 - b.lane1}; }
    static Doubles mul(Doubles a, Doubles b) { return {a.lane0 * b.lane0, a.lane1 * b.lane1}; }

    // In double and rounded once, as the sections do; for two singles that equals
    // the single-precision operation.
    static Singles addSingles(Singles a, Singles b) {
        return {static_cast<float>(static_cast<double>(a.lane0) + b.lane0),
                static_cast<float>(static_cast<double>(a.lane1) + b.lane1)};
    }
    static Singles mulSingles(Singles a, Singles b) {
        return {static_cast<float>(static_cast<double>(a.lane0) * b.lane0),
                static_cast<float>(static_cast<double>(a.lane1) * b.lane1)};
    }

    static Singles narrow(Doubles x) { return {static_cast<float>(x.lane0), static_cast<float>(x.lane1)}; }
    static Doubles widen(Singles x) { return {x.lane0, x.lane1}; }

    static Doubles sumAndDifference(Doubles x) { return {x.lane0 + x.lane1, x.lane0 - x.lane1}; }
    static Doubles zeroLane0(Doubles x) { return {0.0, x.lane1}; }

    static double lane0(Doubles x) { return x.lane0; }
    static double lane1(Doubles x) { return x.lane1; }
};
