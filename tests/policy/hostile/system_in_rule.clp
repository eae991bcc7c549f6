; A rule that runs a shell command, then concludes: the command must not run.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule shell (world) => (system "touch system-ran.txt") (assert (raise_food_intake)))
