# Draws Ramp.png from Ramp_Slip.csv and Ramp_Amp.csv in the current folder:
# the slip functions around the ramp, and the amplitude spectra on log-log
# axes with the analytic spectrum of the smooth ramp's velocity pulse.
# The run's rise time is given as tau (default 3.8 s, the program's own):
#
#   gnuplot tools/plot.gp
#   gnuplot -e 'tau=2.5' tools/plot.gp

if (!exists("tau")) tau = 3.8
fc = 1.0 / tau

set terminal pngcairo size 1000,1100 font "Sans,11"
set output "Ramp.png"
set datafile separator ","

# What the files hold: the time of the velocity's peak, the last time, the
# largest velocity and acceleration, the velocity at t = 0, and the spectrum's
# frequencies and largest amplitude.
stats "Ramp_Slip.csv" skip 1 using 1 nooutput
t_last = STATS_max
stats "Ramp_Slip.csv" skip 1 using 1:2 nooutput
t_peak = STATS_pos_max_y
v_max = STATS_max_y
stats "Ramp_Slip.csv" skip 1 using 4 nooutput
a_max = (abs(STATS_min) > STATS_max ? abs(STATS_min) : STATS_max)
a_max = (a_max > 0 ? a_max : 1)
stats "Ramp_Slip.csv" every ::0::0 skip 1 using 2 nooutput
v_first = STATS_max
stats "Ramp_Amp.csv" skip 1 using 1:3 nooutput
f_first = STATS_min_x
f_last = STATS_max_x
amp_max = (STATS_max_y > 1 ? STATS_max_y : 1)

set multiplot layout 2,1 title sprintf("Slip-velocity function of a smooth ramp (rise time %g s)", tau)

# 1. Slip, slip velocity and slip acceleration against time.
set title "Slip functions"
set xlabel "time (s)"
set ylabel "slip (normalised)  /  slip velocity (1/s)"
set y2label "slip acceleration (1/s^2)"
t_end = t_peak + 3.5 * tau
set xrange [0:(t_end < t_last ? t_end : t_last)]
top = (v_max > 1 ? v_max : 1)
set yrange [-0.05 * top:1.05 * top]
set y2range [-1.15 * a_max:1.15 * a_max]
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
set xrange [10**floor(log10(f_first)):f_last]
set yrange [1e-8 * amp_max:2 * amp_max]
set key left bottom box opaque
x(f) = pi**2 * f / (4 * fc)
V(f) = x(f) / sinh(x(f))
# Where the step is already under way at t = 0, the jump there gives the
# computed spectra a tail that falls off only as 1/f.
note1 = "The sampled pulse starts at t = 0 with the step already under way"
note2 = sprintf("(velocity %.3g there): the curves part at the highest frequencies.", v_first)
cut = v_first > 1e-3 * v_max
plot "Ramp_Amp.csv" skip 1 using 1:2 with lines lw 2 lc rgb "#d62728" title "|V(f)|, velocity", \
     "" skip 1 using 1:3 with lines lw 2 lc rgb "#2ca02c" title "|A(f)|, acceleration", \
     V(x) with lines dt 2 lw 2 lc rgb "black" title "analytic |V(f)| = x / sinh(x)", \
     2 * pi * x * V(x) with lines dt 3 lw 2 lc rgb "#555555" title "analytic 2{/Symbol p} f |V(f)|", \
     NaN with lines lc rgb "white" title (cut ? note1 : ""), \
     NaN with lines lc rgb "white" title (cut ? note2 : "")

unset multiplot
