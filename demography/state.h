#pragma once
// The demographic state of one layer of one cell during the current generation.

class cell;

class State {
public:
    State() = default;
    virtual ~State() = default;

    // Add a fraction of a migrant to a direction's accumulator; a sum above 1
    // (strictly) yields one more migrant.
    inline void updateFractionalMigr_N(int& count, const float& fraction);
    inline void updateFractionalMigr_W(int& count, const float& fraction);
    inline void updateFractionalMigr_S(int& count, const float& fraction);
    inline void updateFractionalMigr_E(int& count, const float& fraction);
    // The same for the migrants between the two layers of a cell (kept in the
    // layer-0 State): fraction12 goes to interdemeRemainder1 (P1 to P2),
    // fraction21 to interdemeRemainder2 (P2 to P1).
    void updateFractionalMigrIntedeme(const float& fraction12, int& count12,
                                      const float& fraction21, int& count21);

    // End of the generation: N += BilanMigr, BilanMigr = 0. A negative N is logged
    // and set to 0 (returns 0); otherwise returns the new N.
    inline int add_BilanMigr_to_N(cell* owner);

    int _N_POP = 0;
    int K = 0;
    float F = 0.0f;
    int BilanMigr = 0;
    float growthRemainder = 0.0f;
    float interdemeRemainder1 = 0.0f;
    float interdemeRemainder2 = 0.0f;
    float remainderN = 0.0f;
    float remainderW = 0.0f;
    float remainderS = 0.0f;
    float remainderE = 0.0f;

private:
    // The accumulator gives a migrant only when it exceeds 1 strictly, and loses
    // exactly 1 then (single precision throughout).
    static void accumulate(float& remainder, int& count, const float& fraction) {
        remainder += fraction;
        if (remainder > 1.0f) {
            ++count;
            remainder -= 1.0f;
        }
    }
    // The log lines of a negative size; sets N to 0.
    void reportNegativeSize(cell* owner);
};

// Inline: called for every land cell, layer and generation.
inline void State::updateFractionalMigr_N(int& count, const float& fraction) {
    accumulate(remainderN, count, fraction);
}
inline void State::updateFractionalMigr_W(int& count, const float& fraction) {
    accumulate(remainderW, count, fraction);
}
inline void State::updateFractionalMigr_S(int& count, const float& fraction) {
    accumulate(remainderS, count, fraction);
}
inline void State::updateFractionalMigr_E(int& count, const float& fraction) {
    accumulate(remainderE, count, fraction);
}

inline int State::add_BilanMigr_to_N(cell* owner) {
    _N_POP += BilanMigr;
    BilanMigr = 0;
    if (_N_POP < 0) {
        reportNegativeSize(owner);
        return 0;
    }
    return _N_POP;
}
