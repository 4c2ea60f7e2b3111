// Gives a variable a value for the rest of a scope and puts the old one back
// on every way out, errors included.
#pragma once

template <class T>
class TScopedValue {
public:
  TScopedValue(T& Variable, T Value) : FVariable(Variable), FSaved(Variable) {
    FVariable = Value;
  }
  ~TScopedValue() { FVariable = FSaved; }
  TScopedValue(const TScopedValue&) = delete;
  TScopedValue& operator=(const TScopedValue&) = delete;

private:
  T& FVariable;
  T FSaved;
};
