;; name: default
;; about: the colony's own ten rules: breed and gather by the reserves, stop both when food runs short
(deftemplate colony
	(slot population (allowed-symbols low stable high))
	(slot food_reserves (allowed-symbols low stable high))
	(slot change_FR (allowed-symbols increasing stable decreasing))
	(slot num_gathering_ants (allowed-symbols low normal high)))

(deftemplate world
	(slot food_supply (allowed-symbols low normal high))
	(slot change_FS (allowed-symbols increasing stable decreasing)))

(defrule need_more_food_for_pop
	(declare (salience 0))
	(colony (population high|stable|low) (food_reserves low))
	=>
	(assert (need_more_food_for_pop))
	(printout t "Need more food for pop" crlf))

(defrule can_get_more_food
	(declare (salience 0))
	(world (food_supply high))
	(colony (food_reserves low|stable))
	=>
	(assert (can_get_more_food))
	(printout t "can_get_more_food" crlf))

(defrule use_everyone_for_food
	(declare (salience 0))
	(colony (num_gathering_ants high) (change_FR decreasing))
	(need_more_food_for_pop)
	(not (critical_situation))
	=>
	(assert (use_everyone_for_food))
	(assert (critical_situation))
	(printout t "use_everyone_for_food" crlf))

(defrule stripping_food
	(declare (salience 0))
	(colony (num_gathering_ants high))
	(world (change_FS decreasing))
	=>
	(assert (stripping_food))
	(printout t "stripping_food" crlf))

(defrule over_population
	(declare (salience 0))
	(colony (population high))
	(world (food_supply low))
	=>
	(assert (over_population))
	(printout t "over_population" crlf))

(defrule over_using_food
	(declare (salience 0))
	(and (not (critical_situation))
		(or (stripping_food)
			(over_population)))
	=>
	(assert (over_using_food))
	(assert (critical_situation))
	(printout t "over_using_food" crlf))

(defrule lower_food_intake
	(declare (salience 0))
	(colony (food_reserves high))
	(colony (change_FR increasing))
	(not (critical_situation))
	=>
	(assert (lower_food_intake))
	(printout t "lower_food_intake" crlf))

(defrule lower_population
	(declare (salience 0))
	(or (and (colony (food_reserves low))
			(colony (population stable|high)))
		(and (world (food_supply low|normal|high))
			(colony (population high))))
	(not (critical_situation))
	=>
	(assert (lower_population))
	(printout t "lower_population" crlf))

(defrule raise_food_intake
	(declare (salience 0))
	(or (need_more_food_for_pop)
		(can_get_more_food))
	(not (critical_situation))
	=>
	(assert (raise_food_intake))
	(printout t "raise_food_intake" crlf))

(defrule raise_population
	(declare (salience 0))
	(colony (population low|stable))
	(or (colony (food_reserves high))
		(and (colony (food_reserves stable|low))
			(colony (population low))))
	(not (critical_situation))
	=>
	(assert (raise_population))
	(printout t "raise_population" crlf))
 