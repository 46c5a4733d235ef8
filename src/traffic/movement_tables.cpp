#include "traffic/movement_tables.hpp"

#include <stdexcept>
#include <unordered_map>

namespace skh {

namespace {

using Table = std::unordered_map<AircraftCategory, double>;

// Light, Buzjets, Large, Heavy, HighPerf, Rotorcraft.
Table lf_table(double light, double buzjets, double large, double heavy, double highPerf, double rotorcraft,
               double scale) {
    return Table{{CatLight, light * scale}, {CatBuzjets, buzjets * scale},   {CatLarge, large * scale},
                 {CatHeavy, heavy * scale}, {CatHighPerf, highPerf * scale}, {CatRotorcraft, rotorcraft * scale}};
}

double lf_lookUp(const Table& table, AircraftCategory category) {
    const auto it = table.find(category);
    if (it == table.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

}  // namespace

double gf_maxPitchChange(AircraftCategory category) {
    static const Table kTable = lf_table(0.01, 0.0085, 0.0075, 0.005, 0.03, 0.03, mv::kDeg);
    return lf_lookUp(kTable, category);
}

double gf_maxBank(AircraftCategory category) {
    static const Table kTable = lf_table(40.0, 35.0, 30.0, 20.0, 90.0, 75.0, mv::kDeg);
    return lf_lookUp(kTable, category);
}

double gf_maxBankChange(AircraftCategory category) {
    static const Table kTable = lf_table(0.035, 0.0275, 0.02, 0.015, 0.1, 0.06, mv::kDeg);
    return lf_lookUp(kTable, category);
}

double gf_rotationSpeed(AircraftCategory category) {
    static const Table kTable = lf_table(90.0, 110.0, 140.0, 150.0, 220.0, 0.0, 1.0);
    return lf_lookUp(kTable, category);
}

}  // namespace skh
