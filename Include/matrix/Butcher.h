// Butcher tableaux of the two- and three-stage Gauss-Legendre methods (orders 4 and 6),
// held in small fixed matrices inside the object.
#pragma once

#include <cmath>

#include <matrix/SmallStackMax.h>

namespace matrix
{
class Butcher
{
public:
    enum Type : td::BYTE
    {
        GaussLegendre2 = 4,
        GaussLegendre3 = 5
    };

    // Only types 4 and 5 exist; another type is a caller error.
    void init(td::BYTE type)
    {
        if (type == GaussLegendre2)
            initTwoStage();
        else if (type == GaussLegendre3)
            initThreeStage();
        else
            TD_ASSERT(false);
    }

    const SmallStackMax<double, 9>& A() const { return _a; }
    const SmallStackMax<double, 3>& b() const { return _b; }
    const SmallStackMax<double, 3>& c() const { return _c; }
    td::UINT2 stages() const { return _b.rows(); }

private:
    void setSize(td::UINT2 s)
    {
        _a.resize(s, s);
        _b.resize(s, 1);
        _c.resize(s, 1);
    }

    void initTwoStage()
    {
        setSize(2);
        const double r = std::sqrt(3.0) / 6.0;
        _a(0, 0) = 0.25;
        _a(0, 1) = 0.25 - r;
        _a(1, 0) = 0.25 + r;
        _a(1, 1) = 0.25;
        _b[0] = _b[1] = 0.5;
        _c[0] = 0.5 - r;
        _c[1] = 0.5 + r;
    }

    void initThreeStage()
    {
        setSize(3);
        const double q = std::sqrt(15.0);
        const double a = 5.0 / 36.0, b = 2.0 / 9.0;
        _a(0, 0) = a;
        _a(0, 1) = b - q / 15.0;
        _a(0, 2) = a - q / 30.0;
        _a(1, 0) = a + q / 24.0;
        _a(1, 1) = b;
        _a(1, 2) = a - q / 24.0;
        _a(2, 0) = a + q / 30.0;
        _a(2, 1) = b + q / 15.0;
        _a(2, 2) = a;
        _b[0] = _b[2] = 5.0 / 18.0;
        _b[1] = 4.0 / 9.0;
        _c[0] = 0.5 - q / 10.0;
        _c[1] = 0.5;
        _c[2] = 0.5 + q / 10.0;
    }

    SmallStackMax<double, 9> _a;
    SmallStackMax<double, 3> _b;
    SmallStackMax<double, 3> _c;
};
} // namespace matrix
