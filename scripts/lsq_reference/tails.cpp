// Upper tails in long double: "F f df1 df2" or "T t df" per line.
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cstdio>
#include <iostream>
#include <string>
int main() {
    std::string kind;
    while (std::cin >> kind) {
        long double x, a, b = 0;
        if (kind == "F") { std::cin >> x >> a >> b;
            boost::math::fisher_f_distribution<long double> d(a, b);
            std::printf("%.20Le\n", boost::math::cdf(boost::math::complement(d, x)));
        } else { std::cin >> x >> a;
            boost::math::students_t_distribution<long double> d(a);
            std::printf("%.20Le\n", 2 * boost::math::cdf(boost::math::complement(d, x < 0 ? -x : x)));
        }
    }
}
