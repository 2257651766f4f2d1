# For the end-to-end scripts: a slow start from "glide.tmr" in which ball 1 glides by 0.5 per step on
# every axis from (200, 200, 300), far from eight tiny, nearly weightless balls at rest, so that its
# position in default.tmr tells how many whole steps the saver ran.

# write_glide_start FOLDER: the settings file and glide.tmr, in CRLF lines, which both platforms read.
write_glide_start() {
  local folder=$1 i
  mkdir -p "$folder"
  printf '[tes-mar_ScreenSaver]\r\nSpeed=0\r\nFrame_on=1\r\nwhat_file=0\r\nparam_file=glide.tmr\r\n' >"$folder/tes-mar.ini"
  {
    printf '[tes-mar_ScreenSaver]\r\ngravitation_constant=0.000001\r\nball_density=0.001000\r\n'
    printf 'ball_N1_speed_x_y_z=0.5 0.5 0.5\r\nball_N1_coordinates_x_y_z=200 200 300\r\n'
    printf 'ball_N1_radius=20\r\nball_N1_mass=0.000001\r\n'
    for i in 2 3 4 5 6 7 8 9; do
      printf 'ball_N%d_speed_x_y_z=0.000001 0.000001 0.000001\r\n' "$i"
      printf 'ball_N%d_coordinates_x_y_z=%d 600 800\r\n' "$i" $((400 + 60 * i))
      printf 'ball_N%d_radius=10\r\nball_N%d_mass=0.000001\r\n' "$i" "$i"
    done
  } >"$folder/glide.tmr"
}

# glide_steps FOLDER: how many whole steps ball 1 has glided in FOLDER/default.tmr; fails unless the
# file is whole and all three axes agree on one number.
glide_steps() {
  local file=$1/default.tmr coordinates
  grep -q '^ball_N9_red_green_blue_0-255=' "$file" 2>/dev/null || return 1
  coordinates=$(tr -d '\r' <"$file" | sed -n 's/^ball_N1_coordinates_x_y_z=//p')
  [ -n "$coordinates" ] || return 1
  echo "$coordinates" | awk '{
    nx = ($1 - 200) * 2; ny = ($2 - 200) * 2; nz = ($3 - 300) * 2
    if (nx != int(nx) || nx != ny || nx != nz) exit 1
    print nx }'
}
