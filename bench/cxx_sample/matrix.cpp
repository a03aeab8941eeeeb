#include <array>
#include <cstddef>

template <std::size_t N>
struct Matrix {
    std::array<double, N * N> cells{};

    constexpr double &at(std::size_t r, std::size_t c) { return cells[r * N + c]; }
    constexpr double at(std::size_t r, std::size_t c) const { return cells[r * N + c]; }

    static Matrix identity()
    {
        Matrix m;
        for (std::size_t i = 0; i < N; ++i)
            m.at(i, i) = 1.0;
        return m;
    }

    Matrix operator*(const Matrix &o) const
    {
        Matrix out;
        for (std::size_t r = 0; r < N; ++r)
            for (std::size_t c = 0; c < N; ++c) {
                double s = 0;
                for (std::size_t k = 0; k < N; ++k)
                    s += at(r, k) * o.at(k, c);
                out.at(r, c) = s;
            }
        return out;
    }
};

using Mat3 = Matrix<3>;

static_assert(sizeof(Mat3) == 9 * sizeof(double), "packed");

double trace(const Mat3 &m)
{
    return m.at(0, 0) + m.at(1, 1) + m.at(2, 2);
}

Mat3 scale(double f)
{
    Mat3 m = Mat3::identity();
    for (std::size_t i = 0; i < 3; ++i)
        m.at(i, i) = f;
    return m;
}

Mat3 current_transform = Mat3::identity();
