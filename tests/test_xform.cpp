// Transform records: initial values, the state scheme of the four setters (state 1,
// 2..5 and everything else), saved flags that never fall back, setters confined to their
// own group, copies, and missing records.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "BoXform.h"

namespace {

BbVector Vec(float x, float y, float z) {
  return BbVector{{x, y, z}};
}

void ExpectVector(const BbVector &actual, float x, float y, float z,
                  const std::string &what) {
  EXPECT_EQ(actual.vec[0], x) << what;
  EXPECT_EQ(actual.vec[1], y) << what;
  EXPECT_EQ(actual.vec[2], z) << what;
}

void ExpectEntries(const int (&actual)[9], const int (&expected)[9],
                   const std::string &what) {
  for (int i = 0; i < 9; i++) EXPECT_EQ(actual[i], expected[i]) << what << " entry " << i;
}

TEST(BoXformCreate, StartsNeutralWithAllStatesZero) {
  BoXform *xf = BoXformCreate();
  ASSERT_NE(xf, nullptr);
  ExpectVector(xf->translate, 0, 0, 0, "translate");
  ExpectVector(xf->rotate, 0, 0, 0, "rotate");
  ExpectVector(xf->scale, 1, 1, 1, "scale");
  ExpectVector(xf->tranSave, 0, 0, 0, "tranSave");
  ExpectVector(xf->rotSave, 0, 0, 0, "rotSave");
  ExpectVector(xf->sclSave, 1, 1, 1, "sclSave");
  ExpectVector(xf->Tm, 0, 0, 0, "Tm");
  ExpectVector(xf->Rm, 0, 0, 0, "Rm");
  ExpectVector(xf->Sm, 0, 0, 0, "Sm");
  const int zeros[9] = {};
  ExpectEntries(xf->state, zeros, "state");
  ExpectEntries(xf->saveState, zeros, "saveState");
  BoXformDelete(xf);
}

// One sequence of calls on one group: the values and entries after each call.
TEST(BoXformSetTrans, StateOneSavesOtherValidStatesStoreTheRestClear) {
  struct Step {
    BbVector value;
    int state;
    BbVector translate, tranSave;
    int stateEntry, saveEntry;
  };
  const Step steps[] = {
      {Vec(1, 2, 3), 1, Vec(1, 2, 3), Vec(1, 2, 3), 1, 1},
      {Vec(4, 5, 6), 3, Vec(4, 5, 6), Vec(1, 2, 3), 3, 1},
      {Vec(7, 8, 9), 0, Vec(4, 5, 6), Vec(1, 2, 3), 0, 1},
      {Vec(7, 8, 9), 6, Vec(4, 5, 6), Vec(1, 2, 3), 0, 1},
      {Vec(7, 8, 9), -1, Vec(4, 5, 6), Vec(1, 2, 3), 0, 1},
      {Vec(7, 8, 9), INT_MIN, Vec(4, 5, 6), Vec(1, 2, 3), 0, 1},
      {Vec(7, 8, 9), INT_MAX, Vec(4, 5, 6), Vec(1, 2, 3), 0, 1},
      {Vec(2, 2, 2), 2, Vec(2, 2, 2), Vec(1, 2, 3), 2, 1},
      {Vec(3, 3, 3), 4, Vec(3, 3, 3), Vec(1, 2, 3), 4, 1},
      {Vec(5, 5, 5), 5, Vec(5, 5, 5), Vec(1, 2, 3), 5, 1},
      {Vec(-1, -2, -3), 1, Vec(-1, -2, -3), Vec(-1, -2, -3), 1, 1},
  };
  BoXform *xf = BoXformCreate();
  int row = 0;
  for (const Step &s : steps) {
    const std::string what = "step " + std::to_string(row++);
    BoXformSetTrans(xf, s.value, s.state);
    ExpectVector(xf->translate, s.translate.vec[0], s.translate.vec[1],
                 s.translate.vec[2], what + " translate");
    ExpectVector(xf->tranSave, s.tranSave.vec[0], s.tranSave.vec[1], s.tranSave.vec[2],
                 what + " tranSave");
    const int state[9] = {s.stateEntry, s.stateEntry, s.stateEntry};
    const int saved[9] = {s.saveEntry, s.saveEntry, s.saveEntry};
    ExpectEntries(xf->state, state, what + " state");
    ExpectEntries(xf->saveState, saved, what + " saveState");
  }
  BoXformDelete(xf);
}

// Each setter changes its own vectors and entries and nothing else in the record.
TEST(BoXformSetters, TouchOnlyTheirOwnGroup) {
  struct Setter {
    const char *name;
    void (*set)(BoXform *, int state);
    int first;  // first state entry of the group
    BbVector BoXform::*current;
    BbVector BoXform::*saved;
    BbVector value;
  };
  const Setter setters[] = {
      {"SetTrans", [](BoXform *x, int st) { BoXformSetTrans(x, Vec(1, 2, 3), st); }, 0,
       &BoXform::translate, &BoXform::tranSave, Vec(1, 2, 3)},
      {"SetRotate", [](BoXform *x, int st) { BoXformSetRotate(x, Vec(10, 20, 30), st); },
       3, &BoXform::rotate, &BoXform::rotSave, Vec(10, 20, 30)},
      {"SetScale", [](BoXform *x, int st) { BoXformSetScale(x, Vec(2, 3, 4), st); }, 6,
       &BoXform::scale, &BoXform::sclSave, Vec(2, 3, 4)},
      {"SetScaleF", [](BoXform *x, int st) { BoXformSetScaleF(x, 2.5f, st); }, 6,
       &BoXform::scale, &BoXform::sclSave, Vec(2.5f, 2.5f, 2.5f)},
  };
  BbVector BoXform::*const vectors[9] = {
      &BoXform::translate, &BoXform::rotate,  &BoXform::scale,
      &BoXform::tranSave,  &BoXform::rotSave, &BoXform::sclSave,
      &BoXform::Tm,        &BoXform::Rm,      &BoXform::Sm};
  for (const Setter &setter : setters) {
    for (int state : {1, 2, 5, 0, 7}) {
      const std::string what =
          std::string(setter.name) + " state " + std::to_string(state);
      // A record whose fields all hold distinct marks.
      BoXform *xf = BoXformCreate();
      for (int v = 0; v < 9; v++) {
        xf->*vectors[v] = Vec(100.0f + (float)v, 200.0f + (float)v, 300.0f + (float)v);
      }
      for (int i = 0; i < 9; i++) {
        xf->state[i] = 3;
        xf->saveState[i] = 0;
      }
      BoXform expected = *xf;
      setter.set(xf, state);

      // The expected change, applied to the copy; then the whole record is compared.
      const bool stores = state >= 1 && state <= 5;
      if (stores) expected.*setter.current = setter.value;
      if (state == 1) expected.*setter.saved = setter.value;
      for (int i = setter.first; i < setter.first + 3; i++) {
        expected.state[i] = stores ? state : 0;
        if (state == 1) expected.saveState[i] = 1;
      }
      EXPECT_EQ(std::memcmp(xf, &expected, sizeof expected), 0) << what;
      BoXformDelete(xf);
    }
  }
}

TEST(BoXformSetScaleF, OneFactorForAllAxesWithoutSaving) {
  BoXform *xf = BoXformCreate();
  BoXformSetScaleF(xf, 2.5f, 2);
  ExpectVector(xf->scale, 2.5f, 2.5f, 2.5f, "scale");
  ExpectVector(xf->sclSave, 1, 1, 1, "sclSave");
  const int state[9] = {0, 0, 0, 0, 0, 0, 2, 2, 2};
  const int zeros[9] = {};
  ExpectEntries(xf->state, state, "state");
  ExpectEntries(xf->saveState, zeros, "saveState");
  BoXformDelete(xf);
}

TEST(BoXformCopy, CopiesEveryFieldIntoAnIndependentRecord) {
  BoXform *xf = BoXformCreate();
  BoXformSetTrans(xf, Vec(1, 2, 3), 1);
  BoXformSetRotate(xf, Vec(4, 5, 6), 2);
  BoXformSetScale(xf, Vec(7, 8, 9), 2);
  xf->Tm = Vec(-1, -2, -3);
  xf->Rm = Vec(-4, -5, -6);
  xf->Sm = Vec(-7, -8, -9);

  BoXform *copy = BoXformCopy(xf);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, xf);
  EXPECT_EQ(std::memcmp(copy, xf, sizeof *xf), 0);
  const int state[9] = {1, 1, 1, 2, 2, 2, 2, 2, 2};
  const int saved[9] = {1, 1, 1, 0, 0, 0, 0, 0, 0};
  ExpectEntries(copy->state, state, "state");
  ExpectEntries(copy->saveState, saved, "saveState");
  ExpectVector(copy->Sm, -7, -8, -9, "Sm");

  BoXformSetTrans(xf, Vec(0, 0, 0), 1);
  ExpectVector(copy->translate, 1, 2, 3, "copy after the source changed");
  BoXformDelete(xf);
  BoXformDelete(copy);
}

TEST(BoXform, MissingRecordReadsZeroAndIsIgnored) {
  ExpectVector(BoXformGetTrans(nullptr), 0, 0, 0, "translation");
  ExpectVector(BoXformGetRotate(nullptr), 0, 0, 0, "rotation");
  ExpectVector(BoXformGetScale(nullptr), 0, 0, 0, "scale");
  BoXformSetTrans(nullptr, Vec(1, 1, 1), 1);
  BoXformSetRotate(nullptr, Vec(1, 1, 1), 1);
  BoXformSetScale(nullptr, Vec(1, 1, 1), 1);
  BoXformSetScaleF(nullptr, 1.0f, 1);
  BoXformDelete(nullptr);

  BoXform *xf = BoXformCreate();
  BoXformSetTrans(xf, Vec(1, 2, 3), 2);
  BoXformSetRotate(xf, Vec(4, 5, 6), 2);
  BoXformSetScale(xf, Vec(7, 8, 9), 2);
  ExpectVector(BoXformGetTrans(xf), 1, 2, 3, "translation");
  ExpectVector(BoXformGetRotate(xf), 4, 5, 6, "rotation");
  ExpectVector(BoXformGetScale(xf), 7, 8, 9, "scale");
  BoXformDelete(xf);
}

}  // namespace
