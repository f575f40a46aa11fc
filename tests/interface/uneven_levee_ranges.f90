! Two starts but one end: the packer must stop the host, not write a record
! whose ranges run past the end array.
program uneven_levee_ranges
  use, intrinsic :: iso_c_binding, only: c_double
  use tulma
  implicit none
  type(tulma_xc_data) :: record
  real(c_double), target :: starts(2) = [1.0_c_double, 5.0_c_double], ends(1) = [2.0_c_double]

  call tulma_pack_xc_data(record, 1, 2, 1.0_c_double, 1.0_c_double, 1.0_c_double, 1.0_c_double, &
                          starts, ends)
  print '(a)', 'packed'
end program uneven_levee_ranges
