# Draws Ramp.png from Ramp_Slip.csv and Ramp_Amp.csv in the current folder:
# the slip functions over the first 15 s, and the amplitude spectra on log-log
# axes with the analytic spectrum of the smooth ramp's velocity pulse.
#
#   gnuplot tools/plot.gp

set terminal pngcairo size 1000,1100 font "Sans,11"
set output "Ramp.png"
set datafile separator ","
set multiplot layout 2,1 title "Slip-velocity function of a smooth ramp (rise time 3.8 s)"

# 1. Slip, slip velocity and slip acceleration against time.
set title "Slip functions"
set xlabel "time (s)"
set ylabel "slip (normalised)  /  slip velocity (1/s)"
set y2label "slip acceleration (1/s^2)"
set xrange [0:15]
set yrange [-0.05:1.05]
set y2range [-0.5:0.5]
set ytics nomirror
set y2tics
set grid
set key right center box opaque
plot "Ramp_Slip.csv" skip 1 using 1:3 with lines lw 2 lc rgb "#2b6cb0" title "slip", \
     "" skip 1 using 1:2 with lines lw 2 lc rgb "#d62728" title "slip velocity", \
     "" skip 1 using 1:4 axes x1y2 with lines lw 2 lc rgb "#2ca02c" title "slip acceleration (right axis)"

# 2. Amplitude spectra, and the analytic |V(f)| = x / sinh(x), x = pi^2 f / (4 fc).
unset y2label
unset y2tics
set ytics mirror
set title "Amplitude spectra"
set xlabel "frequency (Hz)"
set ylabel "amplitude"
set logscale xy
set format y "10^{%L}"
set xrange [0.01:50]
set yrange [1e-8:2]
set key left bottom box opaque
fc = 1 / 3.8
x(f) = pi**2 * f / (4 * fc)
V(f) = x(f) / sinh(x(f))
plot "Ramp_Amp.csv" skip 1 using 1:2 with lines lw 2 lc rgb "#d62728" title "|V(f)|, velocity", \
     "" skip 1 using 1:3 with lines lw 2 lc rgb "#2ca02c" title "|A(f)|, acceleration", \
     V(x) with lines dt 2 lw 2 lc rgb "black" title "analytic |V(f)| = x / sinh(x)", \
     2 * pi * x * V(x) with lines dt 3 lw 2 lc rgb "#555555" title "analytic 2{/Symbol p} f |V(f)|", \
     NaN with lines lc rgb "white" title "The sampled pulse starts at t = 0 with the step already under way", \
     NaN with lines lc rgb "white" title "(slip 0.018, velocity 0.037): the curves part at the lowest and highest frequencies."

unset multiplot
