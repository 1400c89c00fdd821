#pragma once
// The demographic state of one layer of one cell during the current generation.

class cell;

class State {
public:
    State() = default;
    virtual ~State() = default;

    // Add a fraction of a migrant to a direction's accumulator; a sum above 1
    // (strictly) yields one more migrant.
    void updateFractionalMigr_N(int& count, const float& fraction);
    void updateFractionalMigr_W(int& count, const float& fraction);
    void updateFractionalMigr_S(int& count, const float& fraction);
    void updateFractionalMigr_E(int& count, const float& fraction);
    // The same for the migrants between the two layers of a cell (kept in the
    // layer-0 State): fraction12 goes to interdemeRemainder1 (P1 to P2),
    // fraction21 to interdemeRemainder2 (P2 to P1).
    void updateFractionalMigrIntedeme(const float& fraction12, int& count12,
                                      const float& fraction21, int& count21);

    // End of the generation: N += BilanMigr, BilanMigr = 0. A negative N is logged
    // and set to 0 (returns 0); otherwise returns the new N.
    int add_BilanMigr_to_N(cell* owner);

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
};
